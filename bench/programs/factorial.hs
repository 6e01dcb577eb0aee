-- n factorial exactly: its number of digits, then its remainder by 1000000007.
import System.Environment (getArgs)

fact :: Integer -> Integer -> Integer
fact n p = if n < 2 then p else let p' = p * n in p' `seq` fact (n - 1) p'

main :: IO ()
main = do
  [a] <- getArgs
  let p = fact (read a) 1
  print (length (show p))
  print (p `mod` 1000000007)
