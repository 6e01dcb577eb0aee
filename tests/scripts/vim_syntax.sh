#!/usr/bin/env bash
# Loads the Vim file-type detection and syntax for quib in "vim -es" over every example program
# and fails on any error message; also checks that each file is detected as quib and that the
# syntax knows every builtin of docs/builtins.md as a keyword.
set -u
root=$2
command -v vim >/dev/null || { echo "vim is not installed (tests/install_deps.sh installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The builtin names of the reference: rows "| `name` | arity |" of its builtin tables.
awk '!/^\|/ { t = 0 } /^\| name \| arity \|/ { t = 1 } t && match($0, /^\| `[a-z_]+` \| [0-9] \|/) {
       s = substr($0, 4); print substr(s, 1, index(s, "`") - 1) }' "$root/docs/builtins.md" > "$work/builtins"

cat > "$work/check.vim" <<'VIM'
let s:problems = []
function! s:Check(file) abort
  execute 'edit' fnameescape(a:file)
  if &filetype !=# 'quib' || get(b:, 'current_syntax', '') !=# 'quib'
    call add(s:problems, a:file . ': not highlighted as quib')
  endif
  " Ask for the highlight of every byte, so that every pattern runs over every example.
  for l in range(1, line('$'))
    for c in range(1, col([l, '$']) - 1)
      call synID(l, c, 1)
    endfor
  endfor
endfunction
try
  for f in split(glob(g:examples . '/*.quib'), "\n")
    call s:Check(f)
  endfor
  enew
  setfiletype quib
  for name in readfile(g:builtins)
    call setline(1, name)
    let group = synIDattr(synID(1, 1, 1), 'name')
    if group !~# '^quib\%(Language\|Reserved\|Binding\)$'
      call add(s:problems, name . ': not a builtin keyword of the syntax (' . group . ')')
    endif
  endfor
catch
  call add(s:problems, v:exception . ' at ' . v:throwpoint)
endtry
if v:errmsg !=# ''
  call add(s:problems, 'error message: ' . v:errmsg)
endif
call writefile(s:problems, g:report)
qall!
VIM

vim -es -u NONE -i NONE -N --cmd "set rtp^=$root/editor/vim" \
    --cmd "let g:examples = '$root/examples' | let g:builtins = '$work/builtins' | let g:report = '$work/report'" \
    -c 'filetype on' -c 'syntax on' -S "$work/check.vim" > "$work/out" 2>&1
status=$?
if [ ! -f "$work/report" ]; then
  echo "vim did not finish (status $status):"
  cat "$work/out"
  exit 1
fi
if [ -s "$work/report" ] || [ -s "$work/out" ] || [ "$status" != 0 ]; then
  cat "$work/report" "$work/out"
  exit 1
fi
[ "$(wc -l < "$work/builtins")" -gt 0 ] || { echo "no builtin names read from docs/builtins.md"; exit 1; }
