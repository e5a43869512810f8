# Lays out, for each of the named trees under ROOT:
#   <tree>/outside/keep.txt        what the link points at, which nothing may touch
#   <tree>/tree/inner/file.txt
#   <tree>/tree/top.txt
#   <tree>/tree/link -> ../outside
file(REMOVE_RECURSE "${ROOT}")
foreach(tree remove walk)
  set(base "${ROOT}/${tree}")
  file(MAKE_DIRECTORY "${base}/outside" "${base}/tree/inner")
  file(WRITE "${base}/outside/keep.txt" "keep")
  file(WRITE "${base}/tree/inner/file.txt" "inner")
  file(WRITE "${base}/tree/top.txt" "top")
  file(CREATE_LINK "${base}/outside" "${base}/tree/link" SYMBOLIC)
endforeach()
# And a checkout whose .git is a link to itself, which no status query can resolve:
#   loop/source/.git -> .git
#   loop/source/keep.txt
file(MAKE_DIRECTORY "${ROOT}/loop/source")
file(WRITE "${ROOT}/loop/source/keep.txt" "keep")
file(CREATE_LINK ".git" "${ROOT}/loop/source/.git" SYMBOLIC)
