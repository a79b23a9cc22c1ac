/* if(
 while( *
/ */ for(;;) /*/ if(x) */ if(y)
