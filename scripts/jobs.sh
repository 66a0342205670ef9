# Sourced (by the scripts and the Makefile): how many compilers or tests run at once. The
# machines are small and shared; HB_JOBS overrides it.
HB_JOBS=${HB_JOBS:-2}
