add_subdirectory(Src/Rv_Halftone)
