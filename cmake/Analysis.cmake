add_subdirectory(Src/RvAnalysis)
