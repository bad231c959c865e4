# fish completion for thinwick: the options, folders to draw from, and the recorded runs by
# number (1 = the last) and by name.

# True when the word before the cursor is an option that takes a run.
function __thinwick_wants_run
    set -l words (commandline -opc)
    contains -- $words[-1] --put-back --runs
end

function __thinwick_runs
    command -q thinwick; or return
    thinwick --runs 2>/dev/null | awk '{ print $1 "\tthe run of " $2 " " $3; print $4 }'
end

complete -c thinwick -f
complete -c thinwick -s n -l count -x -d 'How many files to draw'
complete -c thinwick -l subfolders -d 'Pool every folder below each folder too'
complete -c thinwick -l files0-from -r -F -d 'Pool the files listed in a NUL-separated list'
complete -c thinwick -l print0 -d 'End each printed path with a NUL'
complete -c thinwick -l seed -x -d 'Repeat the draw made with the same seed'
complete -c thinwick -l trash -d 'Move the drawn files to the trash'
complete -c thinwick -s y -l yes -d 'Do not ask first'
complete -c thinwick -s v -l verbose -d 'Show every drawn file and name each one moved'
complete -c thinwick -l put-back -d 'Put back the files of the last run, or of a run'
complete -c thinwick -l runs -d 'List the recorded runs, or the files of one'
complete -c thinwick -l self-check -d 'Print where the program found its files'
complete -c thinwick -s h -l help -d 'Print the help'
complete -c thinwick -l version -d 'Print the version'
complete -c thinwick -n __thinwick_wants_run -x -a '(__thinwick_runs)'
complete -c thinwick -n 'not __thinwick_wants_run' -x -a '(__fish_complete_directories (commandline -ct) folder)'
