# Every mnemonic of the built-in set in both of its forms.
.CODE
start:  nop
        move    5, R1
        move    R1, R2
        not     0xff, R3
        not     R3, R4
        add     R1, 7, R5
        add     R1, R2, R5
        sub     R5, 1, R6
        sub     R5, R6, R7
        and     R1, 0x0f, R8
        and     R1, R2, R8
        or      R1, 0x10, R9
        or      R1, R2, R9
        xor     R1, 0xffffffff, R10
        xor     R1, R2, R10
        asl     R1, 3, R11
        asl     R1, R2, R11
        asr     R11, 1, R12
        asr     R11, R2, R12
        jmp     @next
next:   jge     R1, 5, @ge
ge:     jlt     R1, 5, @lt
lt:     jge     R1, 0, R13
        jlt     R1, 0, R13
        loop    R1, @start
        loop    R1, R14
        jmp     R15
        sw_req  0x1234
        sw_req  R1
        set_mrk 15
        set_mrk R1
        set_ph  511, 511, 8191
        set_ph  R1, R2, R3
        set_ph_delta 1, 2, 3
        set_ph_delta R1, R2, R3
        set_awg_gain -32768, 32767
        set_awg_gain R1, R2
        set_awg_offs 100, -100
        set_awg_offs R1, R2
        upd_param 4
        play    1, 2, 100
        play    R1, R2, 100
        acquire 0, 3, 20
        acquire 1, R4, 20
        acquire_weighed 2, 16777215, 63, 63, 65535
        acquire_weighed 3, R1, R2, R3, 40
        wait    50
        wait    R1
        wait_trigger 4
        wait_trigger R2
        wait_sync 8
        wait_sync R3
        illegal
        stop
