# gnuplot -e "dat='bench/results/results.dat'; out='bench/compare.png'" bench/compare.gp
set terminal pngcairo size 1000,700 font ",10"
set output out
set style data histograms
set style fill solid 0.6 border -1
set boxwidth 0.7
set grid ytics
set yrange [0:*]
unset key
set multiplot layout 2,2 title "Terminals on a pseudo-terminal fed at 25 600 B/s (bench/compare.py)"
set title "CPU seconds per MB received"
plot dat using 4:xtic(1) lc rgb "#4472c4"
set title "Idle CPU (% of one core)"
plot dat using 3:xtic(1) lc rgb "#ed7d31"
set title "Peak RSS (MB)"
plot dat using 5:xtic(1) lc rgb "#70ad47"
set title "Start to first window / banner (s)"
plot dat using 2:xtic(1) lc rgb "#a5a5a5"
unset multiplot
