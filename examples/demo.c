/* demo.c - a small ring buffer, with a few style slips left in for stylo.
 * Nothing in this comment is checked: if(x) and y=-1 are fine here. */
#include <stdio.h>
#define CLAMP(v, hi) if(v > hi) v = hi   /* preprocessor lines are skipped */

struct ring {
    int head, tail, size;
    char data[64];
};

static int ring_push(struct ring *r, char c)
{
    if(r->size == (int)sizeof r->data)      /* keyword against its parenthesis */
        return -1;
    r->data[r->tail] = c;
    r->tail = (r->tail + 1) % (int)sizeof r->data;
    r->size =+ 1;                          /* meant += */
    return 0;
}

static int ring_pop(struct ring *r)
{
    int c;

    if (r->size == 0)
        return -1;
    c = r->data[r->head];
    r->head = (r->head + 1) % (int)sizeof r->data;
    r->size =- 1;                          /* meant -= */
    return c;
}

int main(void)
{
    struct ring r = {0};
    const char *text = "while(1) and a=-b stay quiet inside a string";
    int n;

    for (n = 0; text[n] != '\0'; n++)
        ring_push(&r, text[n]);
    while((n = ring_pop(&r)) >= 0)
        putchar(n);
    if (r.size ==!0)                       // meant !=
        printf("%c\n", '(');
    return 0;
}
