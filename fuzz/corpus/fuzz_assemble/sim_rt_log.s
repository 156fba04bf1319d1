# The real-time log: every entry starts where the one before it ended.
.CODE
        set_mrk 3
        set_ph  10, 20, 30
        set_ph_delta 1, 2, 3
        set_awg_gain 100, -100
        set_awg_offs -5, 5
        upd_param 8
        play    1, 2, 100
        wait    50
        acquire 0, 3, 20
        acquire_weighed 1, 2, 3, 4, 16
        sw_req  7
        wait_trigger 4
        wait_sync 4
        stop
