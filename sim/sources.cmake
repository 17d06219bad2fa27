list(APPEND QUENDLE_SIM_SOURCES
    sim/VirtualPedal.cpp sim/VirtualPedal.h
    sim/VirtualPedalDriver.cpp sim/VirtualPedalDriver.h)
