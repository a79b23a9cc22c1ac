s = "if(x) \" y=-1"; c = '\''; if(c)
