# Bash completion for lintkeeper: options, files for CRONTAB and --junit, users for --whitelist.
# Installed as share/bash-completion/completions/lintkeeper; works with or without the
# bash-completion package.

_lintkeeper() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()

  # '=' splits words, so "--junit=rep" arrives as "--junit" "=" "rep".
  if [[ $cur == "=" ]]; then
    cur=
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  case $prev in
    -j | --junit)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0
      ;;
    -w | --whitelist)
      mapfile -t COMPREPLY < <(compgen -u -- "$cur")
      return 0
      ;;
    -f | --fail-warnings)
      # A number of warnings: nothing to offer.
      return 0
      ;;
  esac

  # After "--" every word is a file.
  local i after_dashes=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == "--" ]] && after_dashes=1
  done

  if [[ $cur == -* ]] && ((!after_dashes)); then
    mapfile -t COMPREPLY < <(compgen -W '-d --debug -D --debug-verbose -e --echo
      -f --fail-warnings -q --quiet -u --user -w --whitelist -n --no-check-passwd
      -j --junit -h --help -V --version' -- "$cur")
    return 0
  fi

  # CRONTAB.
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  return 0
}

complete -F _lintkeeper lintkeeper
