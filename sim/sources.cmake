list(APPEND QUENDLE_SIM_SOURCES
    sim/PtyFrontEnd.cpp sim/PtyFrontEnd.h
    sim/StmBootloader.cpp sim/StmBootloader.h
    sim/VirtualPedal.cpp sim/VirtualPedal.h
    sim/VirtualPedalDriver.cpp sim/VirtualPedalDriver.h)
