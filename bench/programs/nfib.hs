-- nfib of the first argument: the number of calls it makes.
import System.Environment (getArgs)

nfib :: Int -> Int
nfib n = if n < 2 then 1 else nfib (n - 1) + nfib (n - 2) + 1

main :: IO ()
main = do
  [a] <- getArgs
  print (nfib (read a))
