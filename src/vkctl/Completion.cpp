// vkctl completion: the shell's completion scripts, made from the command table, so that they
// know every command and option the program knows. The build writes them for installation.
#include "Commands.h"

#include "CliOutput.h"

#include <QSet>

namespace vk {

namespace {

QStringList optionWords(const Command &c)
{
    QStringList words;
    for (const QCommandLineOption &o : c.options)
        for (const QString &name : o.names())
            words << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    return words << QStringLiteral("--help");
}

bool namesFiles(const QCommandLineOption &o)
{
    return o.valueName() == QLatin1String("PATH") || o.valueName() == QLatin1String("FILE") ||
           o.valueName() == QLatin1String("DIR");
}

// The options that take a value, and of those the ones whose value is a file.
void valueOptions(const Command &c, QStringList *valued, QStringList *files)
{
    for (const QCommandLineOption &o : c.options) {
        if (o.valueName().isEmpty())
            continue;
        for (const QString &name : o.names()) {
            const QString word = (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            *valued << word;
            if (namesFiles(o))
                *files << word;
        }
    }
}

// The first words: commands alone and the groups, each with a line that says what it is.
QList<QPair<QString, QString>> firstWords(const QList<Command> &all)
{
    QList<QPair<QString, QString>> out;
    QSet<QString> groups;
    for (const Command &c : all) {
        const QString group = groupOf(c);
        if (group.isEmpty()) {
            out.append({c.name, c.summary});
        } else if (!groups.contains(group)) {
            groups.insert(group);
            QStringList subs;
            for (const Command &s : all)
                if (groupOf(s) == group)
                    subs << s.name.section(QLatin1Char(' '), 1);
            out.append({group, subs.join(QLatin1Char(' '))});
        }
    }
    out.append({QStringLiteral("help"), QStringLiteral("help on a command")});
    return out;
}

QStringList groupNames(const QList<Command> &all)
{
    QStringList groups;
    for (const Command &c : all)
        if (!groupOf(c).isEmpty() && !groups.contains(groupOf(c)))
            groups << groupOf(c);
    return groups;
}

const QString GlobalOptionWords = QStringLiteral("--source --no-check --help --version");

QString bashScript(const QList<Command> &all)
{
    QStringList first;
    for (const auto &w : firstWords(all))
        first << w.first;
    QString cases;
    for (const QString &group : groupNames(all)) {
        QStringList subs;
        for (const Command &c : all)
            if (groupOf(c) == group)
                subs << c.name.section(QLatin1Char(' '), 1);
        cases += QStringLiteral("        \"%1\") subs=\"%2\" ;;\n").arg(group, subs.join(QLatin1Char(' ')));
    }
    QString options;
    for (const Command &c : all) {
        QStringList valued, files;
        valueOptions(c, &valued, &files);
        options += QStringLiteral("        \"%1\") opts=\"%2\" valued=\"%3\" fileopts=\"%4\" files=%5 ;;\n")
                       .arg(c.name, optionWords(c).join(QLatin1Char(' ')), valued.join(QLatin1Char(' ')),
                            files.join(QLatin1Char(' ')))
                       .arg(c.fileArguments ? 1 : 0);
    }
    return QStringLiteral(R"SH(# bash completion for vkctl (made by `vkctl completion bash`)

_vkctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local i word cmd="" sub="" subs="" opts="" valued="" fileopts="" files=0
    # The command and its subcommand so far; the options before them and their values passed over.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --source) ((i++)); continue ;;
            -*) continue ;;
        esac
        if [[ -z $cmd ]]; then
            cmd=$word
        elif [[ -z $sub && -n $subs ]]; then
            sub=$word
            break
        else
            break
        fi
        case $cmd in
%1        esac
    done
    if [[ $prev == --source ]]; then
        COMPREPLY=($(compgen -W "$(vkctl sources 2>/dev/null)" -- "$cur"))
        return
    fi
    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "%2" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "%3" -- "$cur"))
        fi
        return
    fi
    if [[ $cmd == help ]]; then
        COMPREPLY=($(compgen -W "%3" -- "$cur"))
        return
    fi
    if [[ -n $subs && -z $sub ]]; then
        COMPREPLY=($(compgen -W "$subs --help" -- "$cur"))
        return
    fi
    case "$cmd${sub:+ $sub}" in
%4    esac
    if [[ " $fileopts " == *" $prev "* ]] || { [[ " $valued " != *" $prev "* && $cur != -* ]] && ((files)); }; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    elif [[ " $valued " != *" $prev "* && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    fi
}
complete -F _vkctl vkctl
)SH")
        .arg(cases, GlobalOptionWords, first.join(QLatin1Char(' ')), options);
}

// A word and its description for _describe, quoted for a single-quoted zsh word.
QString zshItem(const QString &word, const QString &description)
{
    QString text =
        QString(word).replace(QLatin1Char(':'), QLatin1String("\\:")) + QLatin1Char(':') + description;
    text.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString zshScript(const QList<Command> &all)
{
    QStringList first;
    for (const auto &w : firstWords(all))
        first << zshItem(w.first, w.second);
    QString groups;
    for (const QString &group : groupNames(all)) {
        QStringList subs;
        for (const Command &c : all)
            if (groupOf(c) == group)
                subs << zshItem(c.name.section(QLatin1Char(' '), 1), c.summary);
        groups += QStringLiteral("        (%1) subs=(%2) ;;\n").arg(group, subs.join(QLatin1Char(' ')));
    }
    QString options;
    for (const Command &c : all) {
        QStringList items;
        for (const QCommandLineOption &o : c.options)
            for (const QString &name : o.names())
                items << zshItem((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name,
                                 o.description());
        items << zshItem(QStringLiteral("--help"), QStringLiteral("show this help"));
        QStringList valued, files;
        valueOptions(c, &valued, &files);
        options += QStringLiteral("        (\"%1\") opts=(%2) valued=\"%3\" fileopts=\"%4\" files=%5 ;;\n")
                       .arg(c.name, items.join(QLatin1Char(' ')), valued.join(QLatin1Char(' ')),
                            files.join(QLatin1Char(' ')))
                       .arg(c.fileArguments ? 1 : 0);
    }
    return QStringLiteral(R"SH(#compdef vkctl
# zsh completion for vkctl (made by `vkctl completion zsh`)

_vkctl() {
    local -a cmds subs opts
    local i word cmd= sub= valued= fileopts= files=0
    local cur=${words[CURRENT]} prev=${words[CURRENT-1]}
    cmds=(%1)
    # The command and its subcommand so far; the options before them and their values passed over.
    for ((i = 2; i < CURRENT; i++)); do
        word=${words[i]}
        case $word in
            (--source) ((i++)); continue ;;
            (-*) continue ;;
        esac
        if [[ -z $cmd ]]; then
            cmd=$word
        elif [[ -z $sub && ${#subs} -gt 0 ]]; then
            sub=$word
            break
        else
            break
        fi
        case $cmd in
%2        esac
    done
    if [[ $prev == --source ]]; then
        compadd -- ${(f)"$(vkctl sources 2>/dev/null)"}
        return
    fi
    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            compadd -- %3
        else
            _describe -t commands 'vkctl command' cmds
        fi
        return
    fi
    if [[ $cmd == help ]]; then
        _describe -t commands 'vkctl command' cmds
        return
    fi
    if [[ ${#subs} -gt 0 && -z $sub ]]; then
        _describe -t commands "vkctl $cmd command" subs
        return
    fi
    case "$cmd${sub:+ $sub}" in
%4    esac
    if [[ " $fileopts " == *" $prev "* ]]; then
        _files
    elif [[ " $valued " == *" $prev "* ]]; then
        _message 'value'
    elif [[ $cur == -* ]]; then
        _describe -t options option opts
    elif (( files )); then
        _files
    fi
}

if [[ ${zsh_eval_context[-1]} == loadautofunc ]]; then
    _vkctl "$@"
else
    compdef _vkctl vkctl
fi
)SH")
        .arg(first.join(QLatin1Char(' ')), groups, GlobalOptionWords, options);
}

int runCompletion(Call &call, const QList<Command> &all)
{
    const QString shell = call.args[0];
    if (shell == QLatin1String("bash"))
        std::fputs(bashScript(all).toUtf8().constData(), resultStream());
    else if (shell == QLatin1String("zsh"))
        std::fputs(zshScript(all).toUtf8().constData(), resultStream());
    else
        return call.usageError(QStringLiteral("no completion for the shell '%1' (bash or zsh)").arg(shell));
    return ExitDone;
}

} // namespace

QList<Command> completionCommands(const QList<Command> &all)
{
    Command completion;
    completion.name = QStringLiteral("completion");
    completion.synopsis = QStringLiteral("bash|zsh");
    completion.summary = QStringLiteral("the shell's completion script for vkctl");
    completion.description = QStringLiteral(
        "Prints the completion script for bash or zsh. The installation puts both where the shells look "
        "(bash-completion's completions directory, zsh's site-functions); to use one without installing, "
        "source it.");
    completion.examples = {QStringLiteral("source <(vkctl completion bash)")};
    completion.minArgs = completion.maxArgs = 1;
    // The table the script is made from is the program's own, this command included.
    completion.run = [all](Call &call) {
        QList<Command> every = all;
        every.append(call.command);
        return runCompletion(call, every);
    };
    return {completion};
}

} // namespace vk
