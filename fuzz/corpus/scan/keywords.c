if(a) switch(b) for(;;) while(c)
if (a) IF(a) _while(x) 2if(x) elif(x)
