# A symbol is known from its definition on, by its exact name.
        move $N, R1
.DEF N 5
        move $N, R1
        move $n, R2
