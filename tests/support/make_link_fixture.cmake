# Lays out, for each of the named trees under ROOT:
#   <tree>/outside/keep.txt        what the link points at, which nothing may touch
#   <tree>/tree/inner/file.txt
#   <tree>/tree/top.txt
#   <tree>/tree/link -> ../outside
file(REMOVE_RECURSE "${ROOT}")
foreach(tree remove walk same)
  set(base "${ROOT}/${tree}")
  file(MAKE_DIRECTORY "${base}/outside" "${base}/tree/inner")
  file(WRITE "${base}/outside/keep.txt" "keep")
  file(WRITE "${base}/tree/inner/file.txt" "inner")
  file(WRITE "${base}/tree/top.txt" "top")
  file(CREATE_LINK "${base}/outside" "${base}/tree/link" SYMBOLIC)
endforeach()
