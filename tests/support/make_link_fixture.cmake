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

# And for the disk use of old tools, a base folder whose tools lead outside it, by a link inside a
# tool folder and by a link standing in tools/ itself; the sizes are all that is read there:
#   disk_use_sizes/outside/keep.txt                      4 bytes
#   disk_use_sizes/base/tools/cmake/bin/cmake.txt        5 bytes
#   disk_use_sizes/base/tools/cmake/outside -> disk_use_sizes/outside
#   disk_use_sizes/base/tools/linked -> disk_use_sizes/outside
# and one that their removal takes apart:
#   disk_use_remove/outside/keep.txt
#   disk_use_remove/base/tools/{git/cmd/git.txt, ninja/ninja.txt, zlib/bin/zlib.txt, zlib/outside -> outside}
#   disk_use_remove/base/downloads/part.bin
#   disk_use_remove/base/agreed.txt
set(base "${ROOT}/disk_use_sizes")
file(MAKE_DIRECTORY "${base}/outside" "${base}/base/tools/cmake/bin")
file(WRITE "${base}/outside/keep.txt" "keep")
file(WRITE "${base}/base/tools/cmake/bin/cmake.txt" "cmake")
file(CREATE_LINK "${base}/outside" "${base}/base/tools/cmake/outside" SYMBOLIC)
file(CREATE_LINK "${base}/outside" "${base}/base/tools/linked" SYMBOLIC)

set(base "${ROOT}/disk_use_remove")
file(MAKE_DIRECTORY "${base}/outside" "${base}/base/tools/zlib/bin" "${base}/base/tools/git/cmd" "${base}/base/tools/ninja"
  "${base}/base/downloads")
file(WRITE "${base}/outside/keep.txt" "keep")
file(WRITE "${base}/base/tools/zlib/bin/zlib.txt" "zlib")
file(CREATE_LINK "${base}/outside" "${base}/base/tools/zlib/outside" SYMBOLIC)
file(WRITE "${base}/base/tools/git/cmd/git.txt" "git")
file(WRITE "${base}/base/tools/ninja/ninja.txt" "ninja")
file(WRITE "${base}/base/downloads/part.bin" "part")
file(WRITE "${base}/base/agreed.txt" "https://example.invalid/terms")

# and one whose tools folder is itself a link to folders of someone else's:
#   disk_use_linked/outside/cmake/bin/cmake.txt, outside/git/git.txt
#   disk_use_linked/base/tools -> disk_use_linked/outside
set(base "${ROOT}/disk_use_linked")
file(MAKE_DIRECTORY "${base}/outside/cmake/bin" "${base}/outside/git" "${base}/base")
file(WRITE "${base}/outside/cmake/bin/cmake.txt" "cmake")
file(WRITE "${base}/outside/git/git.txt" "git")
file(CREATE_LINK "${base}/outside" "${base}/base/tools" SYMBOLIC)

# And music folders that links lead round or into the game's own music folder:
#   music/self/Music/song.mp3, here -> ., again -> .           (two links to the folder itself)
#   music/ancestor/Music/song.mp3, Album/track.mp3, Album/Disc/up -> ../..   (a link to an ancestor)
#   music/long/Music/first.mp3, Songs/n0 ... n23, each n<i>/a and n<i>/b -> ../n<i+1>  (2^25 listings)
#   music/game/base/play/hdd/E/TDATA/FFFE0000/MUSIC/Album/mine.mp3
#   music/game/to -> base/play/hdd/E/TDATA/FFFE0000/MUSIC, music/game/into -> .../MUSIC/Album
set(base "${ROOT}/music/self/Music")
file(MAKE_DIRECTORY "${base}")
file(WRITE "${base}/song.mp3" "song")
file(CREATE_LINK "." "${base}/here" SYMBOLIC)
file(CREATE_LINK "." "${base}/again" SYMBOLIC)

set(base "${ROOT}/music/ancestor/Music")
file(MAKE_DIRECTORY "${base}/Album/Disc")
file(WRITE "${base}/song.mp3" "song")
file(WRITE "${base}/Album/track.mp3" "track")
file(CREATE_LINK "../.." "${base}/Album/Disc/up" SYMBOLIC)

set(base "${ROOT}/music/long/Music/Songs")
foreach(level RANGE 0 23)
  math(EXPR next "${level} + 1")
  file(MAKE_DIRECTORY "${base}/n${level}")
  if(level LESS 23)
    file(CREATE_LINK "../n${next}" "${base}/n${level}/a" SYMBOLIC)
    file(CREATE_LINK "../n${next}" "${base}/n${level}/b" SYMBOLIC)
  endif()
endforeach()
file(WRITE "${ROOT}/music/long/Music/first.mp3" "first")

set(base "${ROOT}/music/game")
set(music "${base}/base/play/hdd/E/TDATA/FFFE0000/MUSIC")
file(MAKE_DIRECTORY "${music}/Album")
file(WRITE "${music}/Album/mine.mp3" "mine")
file(CREATE_LINK "${music}" "${base}/to" SYMBOLIC)
file(CREATE_LINK "${music}/Album" "${base}/into" SYMBOLIC)
