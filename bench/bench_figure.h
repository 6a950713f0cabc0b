// The row every benchmark program prints for make bench's table of figures.
#ifndef TIVORN_BENCH_BENCH_FIGURE_H
#define TIVORN_BENCH_BENCH_FIGURE_H

#include <cstdio>

namespace bench {

// One row of make bench's table of figures, beside the program's own
// account: the figure, this run's value, the same run's reference (what the
// machine itself does in its place) and their ratio.  scripts/bench.sh
// gathers the rows by their first word.  A reference of 0 is none.
inline void Figure(const char *figure, double value, const char *unit, double reference, const char *referenceName) {
    if (reference > 0)
        std::printf("figure\t%s\t%.4g %s\t%.4g %s (%s)\t%.2f\n", figure, value, unit, reference, unit, referenceName,
                    value / reference);
    else
        std::printf("figure\t%s\t%.4g %s\t%s\t\n", figure, value, unit, referenceName);
}

}  // namespace bench

#endif
