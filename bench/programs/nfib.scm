;; nfib of the first argument: the number of calls it makes.
(define (nfib n)
  (if (< n 2) 1 (+ (nfib (- n 1)) (nfib (- n 2)) 1)))

(display (nfib (string->number (cadr (command-line)))))
(newline)
