;; n factorial exactly: its number of digits, then its remainder by 1000000007.
(define (fact n p)
  (if (< n 2) p (fact (- n 1) (* p n))))

(let ((p (fact (string->number (cadr (command-line))) 1)))
  (display (string-length (number->string p)))
  (newline)
  (display (modulo p 1000000007))
  (newline))
