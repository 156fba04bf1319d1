loop: jmp @loop
