-- A byte string grown by appending one byte at a time (each append copies), then its length.
import System.Environment (getArgs)
import qualified Data.ByteString.Char8 as B

grow :: Int -> B.ByteString -> B.ByteString
grow n s = if n < 2 then s else let s' = B.snoc s 'A' in s' `seq` grow (n - 1) s'

main :: IO ()
main = do
  [a] <- getArgs
  print (B.length (grow (read a) (B.singleton 'A')))
