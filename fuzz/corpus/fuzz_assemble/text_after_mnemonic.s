  nop , R1
  stop ,R2
  nop %x
nop ; c
  move 1, , R1
  nop # c
x: nop # c
  move 1, R1 # c
	stop
