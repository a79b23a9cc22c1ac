


if(x)

