# bench-plot.gp: the scaling figures of a scripts/bench.sh run as one PNG.
#   gnuplot -e "dir='OUT_DIR'" bench-plot.gp     reads scaling.dat and growth.dat, writes scaling.png
set terminal pngcairo size 1100,450 font ",10"
set output dir."/scaling.png"
set multiplot layout 1,2

scaling = dir."/scaling.dat"
growth = dir."/growth.dat"
arch(name, file) = "< grep '^".name." ' ".file

set title "Authenticate from several threads (figure 4)"
set xlabel "threads"
set ylabel "calls per second (millions)"
set xtics (1, 2, 4)
set autoscale x
set offsets 0.4, 0.4, 0, 0
set yrange [0:*]
set key top left
plot for [name in "x64 x86"] arch(name, scaling) using 2:($3/1e6) with linespoints lw 2 title name

set title "Registration script interpreter (figure 5)"
set xlabel "keys in the script"
set ylabel "time per run (microseconds)"
set logscale xy
set xtics (10, 100, 1000)
set offsets 0, 0, 0, 0
set xrange [7:1400]
set yrange [*:*]
plot for [name in "x64 x86"] arch(name, growth) using 2:3 with linespoints lw 2 title name
unset multiplot
