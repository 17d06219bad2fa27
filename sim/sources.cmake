list(APPEND QUENDLE_SIM_SOURCES
    sim/StmBootloader.cpp sim/StmBootloader.h
    sim/VirtualPedal.cpp sim/VirtualPedal.h
    sim/VirtualPedalDriver.cpp sim/VirtualPedalDriver.h)
