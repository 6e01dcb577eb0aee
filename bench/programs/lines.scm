;; The number of line feeds in a file, read in 64 KiB blocks and searched line by line.
(use-modules (ice-9 textual-ports))

(define block (make-string 65536))

(define (scan i end c)
  (let ((q (string-index block #\newline i end)))
    (if q (scan (+ q 1) end (+ c 1)) c)))

(define (tally port c)
  (let ((n (get-string-n! port block 0 65536)))
    (if (eof-object? n) c (tally port (scan 0 n c)))))

(let ((port (open-input-file (cadr (command-line)) #:encoding "ISO-8859-1")))
  (display (tally port 0))
  (newline)
  (close-port port))
