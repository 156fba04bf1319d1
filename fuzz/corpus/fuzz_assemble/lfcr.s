	move 1, R1
	stop
