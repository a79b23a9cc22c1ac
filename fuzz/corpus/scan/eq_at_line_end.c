x =
-1; y ==
!b; if
(x)
