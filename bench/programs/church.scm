;; The Church numeral two raised to the power n, converted to an integer.
(define (succ n) (lambda (f) (lambda (x) (f ((n f) x)))))

(define (church n)
  (if (< n 1) (lambda (f) (lambda (x) x)) (succ (church (- n 1)))))

(display ((((church (string->number (cadr (command-line)))) (church 2))
           (lambda (n) (+ n 1)))
          0))
(newline)
