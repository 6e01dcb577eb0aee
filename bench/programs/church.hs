-- The Church numeral two raised to the power n, converted to an integer.
import System.Environment (getArgs)

-- Strict in the inner application, as the other interpreters evaluate arguments first.
suc :: ((a -> a) -> a -> a) -> (a -> a) -> a -> a
suc n f x = let y = n f x in y `seq` f y

church :: Int -> (a -> a) -> a -> a
church n = if n < 1 then \_ x -> x else suc (church (n - 1))

main :: IO ()
main = do
  [a] <- getArgs
  print (church (read a) (church 2) (\n -> n + 1) (0 :: Integer))
