;; The list 1..n built with a two-continuation cons, summed with a strict accumulator.
(define (kons h t) (lambda (n c) (c h t)))
(define nil (lambda (n c) n))

(define (down i l)
  (if (< i 1) l (down (- i 1) (kons i l))))

(define (sum l s)
  (l s (lambda (h t) (sum t (+ s h)))))

(display (sum (down (string->number (cadr (command-line))) nil) 0))
(newline)
