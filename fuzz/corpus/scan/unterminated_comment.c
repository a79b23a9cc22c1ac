if(a) /* never closed
while(b)