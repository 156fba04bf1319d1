        jmp R1, 2
        play
        wait r5
