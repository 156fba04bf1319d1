        nop
last:
