a:
nop
a: stop
