s = "abc
if(x)
