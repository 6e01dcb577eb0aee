;; A string grown by appending one character at a time (each append copies), then its length.
(define (grow n s)
  (if (< n 2) s (grow (- n 1) (string-append s "A"))))

(display (string-length (grow (string->number (cadr (command-line))) "A")))
(newline)
