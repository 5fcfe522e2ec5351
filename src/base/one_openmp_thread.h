#pragma once
// Libraries linked here (libimagequant, FluidSynth) may run their loops on OpenMP threads (GNU
// libgomp). Nothing asked for those threads: while a OneOpenMpThread lives, the calling thread's team
// size is one. Only this thread's setting changes, and it is restored after. A target using it links
// libgomp; the two calls are declared here so that the build needs no compiler's omp.h.

extern "C" int omp_get_max_threads(void);
extern "C" void omp_set_num_threads(int count);

namespace vexa {

class OneOpenMpThread {
  public:
    OneOpenMpThread() : before_(omp_get_max_threads()) { omp_set_num_threads(1); }
    ~OneOpenMpThread() { omp_set_num_threads(before_); }
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

  private:
    int before_;
};

} // namespace vexa
