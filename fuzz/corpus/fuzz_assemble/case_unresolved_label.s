start:  nop
        jge R1, 1, @done
        loop R1, @nowhere
        jmp @Start
done:   stop
