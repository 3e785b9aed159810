# Bash completion for lintkeeper-audit: options, kinds for --disable, formats for --format,
# directories for --root, users for --whitelist, files and directories for PATH.
# Installed as share/bash-completion/completions/lintkeeper-audit; works with or without the
# bash-completion package. The options, kinds and formats are read from the program's own
# --help, so they are always those of the program being completed.

# Prints the words of one part of PROGRAM's --help, one a line: options, formats or kinds.
_lintkeeper_audit_help_words() {
  local program=$1 part=$2 line section=
  local option_re='^  (-[A-Za-z]), (--[a-z][a-z-]*)' long_re='^      (--[a-z][a-z-]*)'
  local name_re='^  ([A-Za-z][A-Za-z0-9_]*) '
  while IFS= read -r line; do
    case $line in
      Options:) section=options ;;
      Formats:) section=formats ;;
      Kinds:) section=kinds ;;
      '') ;;
      [!\ ]*) section= ;;
      *)
        if [[ $section == options && $part == options ]]; then
          if [[ $line =~ $option_re ]]; then
            printf '%s\n' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
          elif [[ $line =~ $long_re ]]; then
            printf '%s\n' "${BASH_REMATCH[1]}"
          fi
        elif [[ $section == "$part" && $part != options && $line =~ $name_re ]]; then
          printf '%s\n' "${BASH_REMATCH[1]}"
        fi
        ;;
    esac
  done < <("$program" --help 2>/dev/null)
}

_lintkeeper_audit() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # The program as typed (lintkeeper-audit, ./build/lintkeeper-audit, ~/bin/lintkeeper-audit).
  local program=${COMP_WORDS[0]/#\~/$HOME}
  COMPREPLY=()

  # '=' splits words, so "--format=gc" arrives as "--format" "=" "gc".
  if [[ $cur == "=" ]]; then
    cur=
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  case $prev in
    -r | --root)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return 0
      ;;
    -d | --disable)
      mapfile -t COMPREPLY < <(compgen -W "$(_lintkeeper_audit_help_words "$program" kinds)" \
        -- "$cur")
      return 0
      ;;
    --format)
      mapfile -t COMPREPLY < <(compgen -W "$(_lintkeeper_audit_help_words "$program" formats)" \
        -- "$cur")
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

  # After "--" every word is a PATH.
  local i after_dashes=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == "--" ]] && after_dashes=1
  done

  if [[ $cur == -* ]] && ((!after_dashes)); then
    mapfile -t COMPREPLY < <(compgen -W "$(_lintkeeper_audit_help_words "$program" options)" \
      -- "$cur")
    return 0
  fi

  # PATH: crontab files, or directories of them.
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  return 0
}

complete -F _lintkeeper_audit lintkeeper-audit
