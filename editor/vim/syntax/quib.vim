" Vim syntax for quib programs: combinators, operators, builtin names, numerals, list literals,
" bindings, definitions and comment pieces.
if exists('b:current_syntax')
  finish
endif

" A word is lower-case letters and _: a digit or a capital ends it (say2 is say 2).
syntax iskeyword a-z,_
syntax case match

" Single lower-case letters are always variables: parameters, binding keys and their uses.
syntax match quibVariable /[a-z_]\@<![a-z][a-z_]\@!/

syntax match quibCombinator /[A-Z]/
syntax match quibOperator /[-+*\/%^<>=#$~!";?:'&|@.`]/
syntax match quibLambda /\\/
syntax match quibWing /[{}]/
syntax match quibParen /[()]/
syntax match quibSeparator /,/

" Numerals: integers, and numbs, which start with two zeros.
syntax match quibNumber /\d\+/
syntax match quibNumb /\d\@<!00\d*/

" List literals nest; [p], [q] and [r] stand for a line feed, [ and ] in texts made by init.
syntax region quibList matchgroup=quibListBracket start=/\[/ end=/\]/ contains=quibList,quibEscape
syntax match quibEscape /\[[pqr]\]/ contained

" A definition: a name (or an operator in brackets), an optional () and a backslash, at the
" start of a piece.
syntax match quibDefinition /\%(^,\=\)\@<=[a-z_]\{2,}\ze\%(()\)\=\\/
syntax match quibDefinition /\%(^,\=\)\@<=\[[^\]]\]\ze\\/

" Builtins: the language's own, the reserved names that answer Z, and the C bindings.
syntax keyword quibLanguage buck cent cmpr dash diff gets gett getu getv getw getx gety getz gteq
syntax keyword quibLanguage init leak less lisp mult over plus powa rank raws real rows same sett
syntax keyword quibLanguage setu setw setx tail tern type wave
syntax keyword quibReserved cats copy cork into leaf left look lord lots rght
syntax keyword quibBinding abort abs accept acos addrinfo af_unspec ai_passive asctime asin assert
syntax keyword quibBinding atan atof atoi atol bind bzero calloc ceil clearerr closedir
syntax keyword quibBinding closesocket connect cos cosh ctime difftime dirent eacces ebadf
syntax keyword quibBinding econnaborted efault eintr einval eio emfile enfile enodev enomem
syntax keyword quibBinding enotsock enxio eopnotsupp eoverflow erf erfc errno ewouldblock exit exp
syntax keyword quibBinding fabs fclose fd_set fdopen feof ferror fflush fgetc fgetpos fgets fileno
syntax keyword quibBinding floor fmod fopen fputc fputs fread free freeaddrinfo frexp fseek
syntax keyword quibBinding fsetpos ftell fwrite gai_strerror getaddrinfo getc getchar getenv
syntax keyword quibBinding gethostname getnameinfo getpeername gmtime htonl htons hypot inet_ntop
syntax keyword quibBinding inet_pton isalnum isalpha isascii isblank isdigit isgraph islower
syntax keyword quibBinding isprint ispunct isspace isupper labs ldexp listen localtime log malloc
syntax keyword quibBinding memchr memcmp memcpy memmove memset mktime modf nextafter ntohl ntohs
syntax keyword quibBinding opendir perror pow putc putchar puts raise rand rand_max read readdir
syntax keyword quibBinding realloc recv recvfrom remove rename rewind send sendto setbuf
syntax keyword quibBinding setsockopt shutdown sin sinh sock_stream socket sqrt srand stderr
syntax keyword quibBinding stdout strcasecmp strcat strchr strcmp strcpy strdup strerror strftime
syntax keyword quibBinding strlen strncasecmp strncat strncmp strncpy strnlen strpbrk strrchr
syntax keyword quibBinding strspn strstr strtod strtok strtok_r strtol strtoul system tan tanh
syntax keyword quibBinding time time_t tmpfile tmpnam toascii tolower toupper ungetc write

" A piece after a comma without a backslash is skipped: a comment, read a line at a time.
syntax match quibComment /^,[^\\]*$/

highlight default link quibVariable Identifier
highlight default link quibCombinator Type
highlight default link quibOperator Operator
highlight default link quibLambda Statement
highlight default link quibWing Statement
highlight default link quibParen Delimiter
highlight default link quibSeparator Delimiter
highlight default link quibNumber Number
highlight default link quibNumb Float
highlight default link quibList String
highlight default link quibListBracket Delimiter
highlight default link quibEscape SpecialChar
highlight default link quibDefinition Function
highlight default link quibLanguage Keyword
highlight default link quibReserved Keyword
highlight default link quibBinding Function
highlight default link quibComment Comment

let b:current_syntax = 'quib'
