a=-1;
if(x)

for(;;)
// a \
if(z)