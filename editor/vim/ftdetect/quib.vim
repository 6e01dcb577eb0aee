" quib programs: files ending in .quib, and scripts whose first line runs quib.
autocmd BufRead,BufNewFile *.quib setfiletype quib
autocmd BufRead,BufNewFile * if getline(1) =~# '^#!.*\<quib\>' | setfiletype quib | endif
