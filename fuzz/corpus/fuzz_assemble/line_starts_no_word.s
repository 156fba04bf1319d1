  *move 2, R1
  (nop)
  %x
  $x: move 3, R1
loop: *move 2, R1
# a comment line
; another comment line
  ;indented
	nop
	stop
