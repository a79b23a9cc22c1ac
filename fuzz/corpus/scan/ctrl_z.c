if(a)
if(b)
