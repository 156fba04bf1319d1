; Play a waveform and acquire into a bin, ten times over.
.DEF WAVE 3
.DEF BIN 7
        move 10, R1
again:  play $WAVE, 4, 100
        acquire 0, $BIN, 200
        wait 1000
        loop R1, @again
        stop
