# gnuplot -e "dat='bench/results/results.dat'; out='bench/compare.png'" bench/compare.gp
set terminal pngcairo size 1100,760 font ",10"
set output out
set style data histograms
set style fill solid 0.6 border -1
set boxwidth 0.7
set grid ytics
set yrange [0:*]
set xtics rotate by -30
unset key
set multiplot layout 2,2 title "Terminals on a pseudo-terminal (bench/compare.py, all in one run)"
set title "CPU at 25 600 B/s (% of one core)"
plot dat using 4:xtic(1) lc rgb "#4472c4"
set title "Drain rate of a 10 MB flood (MB/s)"
plot dat using 9:xtic(1) lc rgb "#ed7d31"
set title "Peak RSS (MB, log scale)"
set logscale y
set yrange [1:*]
plot dat using 6:xtic(1) lc rgb "#70ad47"
unset logscale y
set yrange [0:*]
set title "Start to first window / banner (s)"
plot dat using 2:xtic(1) lc rgb "#a5a5a5"
unset multiplot
