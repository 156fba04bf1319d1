# Each faulty line gives one error and parsing goes on; with parse errors
# nothing is encoded, so the unknown mnemonic is not reported.
        move 1x, R1y
        add R1 R2
.DEF N 1
.DEF N 2
        foo
        stop
