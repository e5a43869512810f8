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

# And for the adoption tests, one tree each, in which the game's assets lead into the user's own
# folder:
#   <tree>/base/launcher.json                 the settings of an earlier choice
#   <tree>/base/play/assets -> <tree>/user
#   <tree>/user/chosen.iso, other.iso, notes.txt
foreach(tree adopt_image_in_place adopt_folder_in_place adopt_image_elsewhere adopt_folder_elsewhere)
  set(base "${ROOT}/${tree}")
  file(MAKE_DIRECTORY "${base}/user" "${base}/base/play")
  file(WRITE "${base}/user/chosen.iso" "chosen")
  file(WRITE "${base}/user/other.iso" "other")
  file(WRITE "${base}/user/notes.txt" "notes")
  file(WRITE "${base}/base/launcher.json" "{\n  \"built\": \"1.0.0\",\n  \"game\": \"earlier.iso\"\n}")
  file(CREATE_LINK "${base}/user" "${base}/base/play/assets" SYMBOLIC)
endforeach()

# And a checkout whose .git is a link to itself, which no status query can resolve:
#   loop/source/.git -> .git
#   loop/source/keep.txt
file(MAKE_DIRECTORY "${ROOT}/loop/source")
file(WRITE "${ROOT}/loop/source/keep.txt" "keep")
file(CREATE_LINK ".git" "${ROOT}/loop/source/.git" SYMBOLIC)
