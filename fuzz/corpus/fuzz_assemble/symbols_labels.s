# Symbols, labels on their own line, sections and comments.
.DEF COUNT 100
.DEF REG R7
.DEF TARGET @loop
.DEF HEX 0x1F
.CODE
        move    $COUNT, $REG        # counter
loop:
        sub     $REG, 1, $REG
        jge     $REG, 1, $TARGET
        wait    $HEX
.SIM
        this line is read and dropped by the simulator section
.CODE   # back to code
  .END
        play    0, 1, $COUNT
.CPU
        stop
