# Time per item visited (after the start) against scene size, one panel per scene shape, one
# line per command, from command_bench's data file.
# gnuplot -e "data='commands.tsv'; output='plot.png'" bench/time_per_item.gp
set datafile separator "\t"
set terminal pngcairo size 1400,1000 font ",10" noenhanced
set output output
commands = "QZ_Sel_Child QZ_Add_Child QZ_Sel_Sibling QZ_Sel_Throwback QZ_Sel_Parent QZ_Add_Parent QZ_Sel_Descendant QZ_Sel_Hierarchy QZ_Sel_AllNulls QZ_Sel_AllObjects QZ_Sel_ByName"
if (!exists("shapes")) shapes = "wide deep balanced mixed"
# The scene-wide commands ignore the selection and run once per scene; the
# by-name command is drawn for its search of every object's name.
selection(command) = command eq "QZ_Sel_ByName" ? "objects" : (command[4:9] eq "Sel_Al") ? "one" : "all"
# One command's line in one panel, picked out with awk so that its points join up.
rows(command, shape) = sprintf("< awk -F'\t' '$1 == \"%s\" && $2 == \"%s\" && $3 == \"%s\" && $4 == \"deferred\"' '%s'", command, shape, selection(command), data)
set multiplot layout 2,2 title "Time per item visited (ns), after the start, against scene size: deferred mode, every item selected (by name: every object)"
set logscale x
set logscale y
set xrange [500:2000000]
set format x "10^%L"
set xlabel "items in the scene"
set ylabel "ns per item visited"
set key outside right top font ",8"
set grid
do for [shape in shapes] {
  set title shape
  plot for [command in commands] rows(command, shape) using 5:11 with linespoints title command
}
unset multiplot
