w:      wait @w
        jge R1, 4096, 4096
lab12:  12 R1
R1:     move 1, r1
.DEF BIG 5000
        jmp $BIG
