€if(ÿ) é=-1; "Ã©" while (x)
