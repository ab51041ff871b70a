add_subdirectory(Tools/PrintSimulation)
add_subdirectory(Tools/PlaneQuality)
add_subdirectory(Tools/ThresholdGenerator)
add_subdirectory(Tools/rv_halftone)
