-- The list 1..n built with a two-continuation cons, summed with a strict accumulator.
import System.Environment (getArgs)

newtype List = List (Integer -> (Integer -> List -> Integer) -> Integer)

cons :: Integer -> List -> List
cons h t = List (\_ c -> c h t)

nil :: List
nil = List (\n _ -> n)

-- Built from the end, each cell forced, so the whole list exists before the sum.
down :: Integer -> List -> List
down i l = if i < 1 then l else let l' = cons i l in l' `seq` down (i - 1) l'

sumList :: List -> Integer -> Integer
sumList (List k) s = k s (\h t -> let s' = s + h in s' `seq` sumList t s')

main :: IO ()
main = do
  [a] <- getArgs
  print (sumList (down (read a) nil) 0)
