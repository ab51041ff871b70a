add_subdirectory(Tools/rv_halftone)
