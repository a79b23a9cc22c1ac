#define F(a) if(a) \
while(a)
// note \
if(x)
// \\
if(y)
s = "a\
if(b)";
