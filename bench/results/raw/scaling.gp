set terminal pngcairo size 1500,520 font ',10'
set output '/work/main/bench/results/scaling.png'
set logscale xy
set grid
set key top left
set xlabel 'entries in the folder'
set ylabel 'median time (s)'
set xrange [6250.0:1600000.0]
set format x '10^{%L}'
set multiplot layout 1,3 title 'Time against folder size (warm cache, median; bars: fastest to slowest)'
set title 'Say'
plot '/work/main/bench/results/raw/plot.dat' index 0 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#1f77b4' title 'Say', '/work/main/bench/results/raw/plot.dat' index 1 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#7f7f7f' title 'ls -f | wc -l', '/work/main/bench/results/raw/plot.dat' index 2 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#d62728' title 'find | wc -l'
set title 'Exec'
plot '/work/main/bench/results/raw/plot.dat' index 3 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#1f77b4' title 'Exec', '/work/main/bench/results/raw/plot.dat' index 1 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#7f7f7f' title 'ls -f | wc -l', '/work/main/bench/results/raw/plot.dat' index 4 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#d62728' title 'find -printf | sed'
set title 'Rollcall'
plot '/work/main/bench/results/raw/plot.dat' index 5 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#1f77b4' title 'Rollcall', '/work/main/bench/results/raw/plot.dat' index 1 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#7f7f7f' title 'ls -f | wc -l', '/work/main/bench/results/raw/plot.dat' index 6 using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#d62728' title 'find | sort -f'
unset multiplot
